#pragma once

// Writes the list markup that leads from the open page lists to a page title
// of `level` (1 = top level); level 0 closes every open list.
void nestLevel(int level);

// Page titles written since the program started, for the command line's
// report; it never changes what is written.
extern long long pageTitlesWritten;

#pragma once

// Writes the list markup that leads from the open page lists to a page title
// of `level` (1 = top level); level 0 closes every open list.
void nestLevel(int level);

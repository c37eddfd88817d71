// Start and end of the toolkit services as a whole. Windows only.
#pragma once

// Common controls and COM.
void startToolkit();
// Releases every window, control, font, shortcut table, open text file and
// directory scan, then COM.
void releaseToolkit();

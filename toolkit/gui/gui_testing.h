// What only the window tests ask of the events: the library
// pagesmith_toolkit_testing holds it, and no program links it.
#pragma once

// Like waitEvent but never blocks: handles whatever messages are waiting
// and returns 0 once neither events nor messages are left.
int pollEvent();
// The window of the current event.
int eventWindow();

// The conversion run behind "Ok": takes the three file names from the main
// window, completes them and writes the product. Windows only.
#pragma once

// Returns 1 when the product file was completed, else 0; every failure has
// been shown to the user (an empty source field only beeps).
int makeProduct();

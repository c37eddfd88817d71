#pragma once

// Copies the template into the product file, with the browser title in place
// and the body at every insertion marker. Reports its own failures.
int assembleProduct();

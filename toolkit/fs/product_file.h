// Replacing a product in one step: the page is written to a temporary file
// beside the product and put in its place only once it is complete, under a
// lock that every writer of the product takes (the command line's runs and
// watchers alike, and the window program's create, which shares the product
// with nobody). A failure leaves the old product byte for byte, or no file
// where there was none, and no temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProductReplacement {
    std::u16string target;     // the file replaced: a symbolic link's target, so the link stays
    std::u16string temporary;  // beside the target, unique to this process; "" to write the product as named
    std::intptr_t lock = -1;   // the held lock on the existing target
    bool existed = false;
    // Several hard links share the product: the finished bytes are copied
    // into it under the lock, so that every link sees them.
    bool copyInto = false;
    std::uint32_t mode = 0;    // the target's permission bits (POSIX)
    // What of the product's access the new file could not be given, each as
    // "NAME (the system's reason)", for -v; the new file then gets less.
    std::vector<std::u16string> notKept;
};

// Locks the existing product and creates the empty temporary file beside it.
// A product that is no regular file (a device, a pipe) is written as named,
// with `temporary` left empty. False, with the system's reason in
// lastSystemError, when the product is held by another writer ("in use by
// another process"), may not be written, or no file can be made beside it.
bool beginProductReplacement(const std::u16string& productPath, ProductReplacement& replacement);

// Puts the finished temporary file in the product's place with the product's
// permission bits and releases the lock. False with the system's reason; the
// temporary file is then still there for abandonProductReplacement.
bool finishProductReplacement(ProductReplacement& replacement);

// Removes the temporary file and releases the lock; the product stays as it was.
void abandonProductReplacement(ProductReplacement& replacement);

// Whether beginProductReplacement would succeed but for another writer
// holding the product now: tried as a run tries it, then undone. False, with
// the system's reason in lastSystemError, for a refusal that stays (a product
// the user may not write, no file can be made beside it), so that a watch
// can refuse it before it starts.
bool productReplaceable(const std::u16string& productPath);

// The system's reason for the last failure of the functions above, for a
// message. Where the product's folder refused the temporary file, it says
// that the folder is the cause: the product itself may well be writable.
std::u16string productFailureReason();

// POSIX: what the replacement carries from the product to the file that
// takes its place, beyond the permission bits and the owner: its extended
// attributes, the access ACL among them (product_file_posix.cpp).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Gives `temporary` the extended attributes of `product`, and only those,
// and returns the permission bits to give it then: the product's `mode`, or,
// where the product's ACL cannot be carried, that mode with the group bits
// narrowed to what the ACL let the owning group do (with an ACL the group
// bits show its mask, which may allow more); none where the attributes
// cannot even be listed. Each attribute not kept is added to `notKept` as
// "NAME (the system's reason)".
mode_t carryProductAttributes(int product, int temporary, mode_t mode,
                              std::vector<std::u16string>& notKept);

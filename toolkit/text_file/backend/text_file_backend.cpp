// Which place the text files live in: the system's files unless a test or a
// fuzzer has put another backend in place.
#include "toolkit/text_file/text_file_platform.h"

namespace platform_file {

const Backend* installedBackend = &systemFiles();

const Backend& useBackend(const Backend& backend) {
    const Backend* previous = installedBackend;
    installedBackend = &backend;
    return *previous;
}

}  // namespace platform_file

// rsrcbuild SOURCE OUTPUT: builds the resource file OUTPUT (its fork in the data fork) from the
// readable source SOURCE. On any error OUTPUT is left as it was and the exit status is 1.
#include "ResourceSource.h"

#include <macsim/Disk.h>

#include <cstdio>
#include <string>

namespace {

constexpr std::size_t kMaxSourceSize = 1024 * 1024;

int failWith(const char* file, const std::string& message) {
    std::fprintf(stderr, "rsrcbuild: %s: %s\n", file, message.c_str());
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rsrcbuild SOURCE.xml OUTPUT.rsrc\n");
        return 2;
    }
    const char* sourceFile = argv[1];
    const char* outputFile = argv[2];
    auto source = macsim::readFile(sourceFile, kMaxSourceSize);
    if (!source)
        return failWith(sourceFile, "cannot be read (missing, unreadable or over 1 MiB)");
    macsim::ResourceFork fork;
    std::string error;
    if (!rsrcbuild::buildFork(
            std::string_view(reinterpret_cast<const char*>(source->data()), source->size()), fork,
            error))
        return failWith(sourceFile, error);
    auto bytes = fork.serialize(&error);
    if (!bytes)
        return failWith(sourceFile, error);
    if (!macsim::writeFileAtomically(outputFile, *bytes))
        return failWith(outputFile, "cannot be written");
    return 0;
}

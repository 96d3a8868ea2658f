// Installed in place of the helper tool "loader" on a copied disk: appends everything it reads on
// standard input to "<its own path>.stdin", and writes its arguments and the size of its
// environment to "<its own path>.args", so a test sees the stream exactly as the tool would.
#include <cstdio>
#include <string>
#include <unistd.h>

extern char** environ;

int main(int argc, char* argv[]) {
    if (argc < 1)
        return 2;
    const std::string self = argv[0];
    FILE* out = std::fopen((self + ".stdin").c_str(), "ab");
    if (!out)
        return 2;
    char buffer[4096];
    ssize_t got;
    while ((got = read(STDIN_FILENO, buffer, sizeof buffer)) > 0)
        std::fwrite(buffer, 1, static_cast<size_t>(got), out);
    std::fclose(out);

    FILE* args = std::fopen((self + ".args").c_str(), "w");
    if (!args)
        return 2;
    int environment = 0;
    for (char** variable = environ; variable && *variable; ++variable)
        ++environment;
    std::fprintf(args, "argc %d\n", argc);
    for (int i = 0; i < argc; ++i)
        std::fprintf(args, "argv %s\n", argv[i]);
    std::fprintf(args, "environment %d\n", environment);
    std::fclose(args);
    return 0;
}

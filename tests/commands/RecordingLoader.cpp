// Stands in for the helper tool "loader" in end-to-end runs: appends what it reads on standard
// input to the file "loader-input" beside itself, then exits 0 having changed nothing. It is
// started with an empty environment, so its own path (its only argument) is all it has to go on.
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc < 1 || !argv[0])
        return 1;
    std::string record = argv[0];
    record = record.substr(0, record.rfind('/') + 1) + "loader-input";

    std::vector<char> input;
    char buffer[4096];
    for (ssize_t n; (n = read(0, buffer, sizeof buffer)) != 0;) {
        if (n < 0)
            return 1;
        input.insert(input.end(), buffer, buffer + n);
    }
    const int fd = open(record.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return 1;
    const bool written = write(fd, input.data(), input.size()) == ssize_t(input.size());
    close(fd);
    return written ? 0 : 1;
}

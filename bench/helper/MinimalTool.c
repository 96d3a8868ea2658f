/* The baseline of the helper tool benchmark: the least a tool fed the command stream can do
   (read it, exit 0), linked statically so that nothing but the exec itself is measured. */
#include <unistd.h>

int main(void) {
    char buffer[1024];
    while (read(0, buffer, sizeof buffer) > 0)
        ;
    return 0;
}

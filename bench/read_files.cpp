// The floor of any tool that reads a list of files: opens, reads to the end and closes each file
// named in LIST (one name a line), with the C library alone. Built for Linux and for Windows, so
// that the cost of reading the same files is measured under Wine too.
//
//   read_files LIST
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_files LIST\n");
        return 2;
    }
    std::FILE* list = std::fopen(argv[1], "r");
    if (list == nullptr) {
        std::fprintf(stderr, "read_files: cannot open %s\n", argv[1]);
        return 1;
    }
    static char buffer[1 << 16];
    char name[4096];
    long files = 0;
    long long bytes = 0;
    int status = 0;
    while (std::fgets(name, sizeof name, list) != nullptr) {
        name[std::strcspn(name, "\r\n")] = '\0';
        std::FILE* file = std::fopen(name, "rb");
        if (file == nullptr) {
            std::fprintf(stderr, "read_files: cannot open %s\n", name);
            status = 1;
            continue;
        }
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes += static_cast<long long>(got);
        std::fclose(file);
        ++files;
    }
    std::fclose(list);
    std::printf("%ld files, %lld bytes\n", files, bytes);
    return status;
}

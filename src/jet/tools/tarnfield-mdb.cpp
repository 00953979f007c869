#include <cstdio>

int main() {
    std::fputs("tarnfield-mdb: not built yet\n", stderr);
    return 2;
}

#include <cstdio>

int main() {
    std::fputs("fenkvanter: not built yet\n", stderr);
    return 1;
}

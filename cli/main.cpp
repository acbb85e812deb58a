// corvanta-cli: the command-line front end (placeholder until the driver lands).
#include <cstdio>
int main() { std::puts("corvanta-cli"); return 0; }

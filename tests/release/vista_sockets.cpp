// A program that imports socket functions Windows XP's ws2_32.dll lacks, for check_pe.sh to
// refuse: the release must never call them unnoticed. Never run.
extern "C" {
int __stdcall WSAPoll(void* sockets, unsigned long count, int timeout);
int __stdcall inet_pton(int family, const char* text, void* address);
}

int main(int argc, char**) {
    // Calls the compiler cannot drop, behind a condition no run meets.
    if (argc > 1000) {
        return WSAPoll(nullptr, 0, 0) + inet_pton(2, "", nullptr);
    }
    return 0;
}

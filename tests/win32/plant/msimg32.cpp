// A stand-in for the system's image library, put into the test host's folder to check that the
// editor never loads a library of that name from there. Its keyed copy copies nothing.

extern "C" __declspec(dllexport) int __stdcall TransparentBlt(void*, int, int, int, int, void*, int,
                                                              int, int, int, unsigned) {
    return 0;
}

/* A module for the library-loading tests to load. */
#ifdef _WIN32
__declspec(dllexport)
#endif
int orbek_probe_answer(void) { return 42; }

// A shared library that loads fine but lacks the Selvane export: the host
// must say so instead of calling through a null pointer.
#if defined(_WIN32)
#define NO_EXPORT_API __declspec(dllexport)
#else
#define NO_EXPORT_API __attribute__((visibility("default")))
#endif

extern "C" NO_EXPORT_API int NotSelvane(int value) { return value + 1; }

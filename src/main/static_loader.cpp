// Linked only into the fully static program, where ICU's plugin loader is the one caller of
// dlopen, dlsym and dlclose (the link wraps them here). The program loads no plugins, and a static
// program has no shared libraries to load: each call fails.
extern "C" {

void* __wrap_dlopen(const char*, int) { return nullptr; }
void* __wrap_dlsym(void*, const char*) { return nullptr; }
int __wrap_dlclose(void*) { return -1; }

}

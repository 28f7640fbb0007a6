// The web engine deletes some of its objects through a base of another size, which the
// address sanitizer would report from inside the engine; nothing of the project's own is
// passed over.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

#pragma once
// What the web engine needs before its first use in a process: the sandbox off when the
// program runs as root (the engine refuses to start otherwise), the shared OpenGL contexts
// and the program's own address scheme for the documents it shows (LocalDocuments.h).
// Call it before the application object exists where possible; every web widget calls it
// again before it creates its view, which does no harm.
namespace ar {

void PrepareWebEngine();

}  // namespace ar

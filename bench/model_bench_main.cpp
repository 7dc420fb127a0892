// Main of the model benchmarks: runs them, then removes the program's own block, also when the
// benchmark library ends the program itself (a bad command-line flag).
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace {

void RemoveOwnBlock() {
  const char* block = std::getenv("VYOMODEL_SHM_NAME");
  // The machine's own model is never removed, whatever the environment says.
  if (block != nullptr && std::strcmp(block, "/SharedZMModel") != 0) shm_unlink(block);
}

}  // namespace

int main(int argc, char** argv) {
  std::atexit(RemoveOwnBlock);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

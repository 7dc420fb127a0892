// Main of the model benchmarks: runs them, then removes the program's own block.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cstdlib>

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (const char* block = std::getenv("VYOMODEL_SHM_NAME")) shm_unlink(block);
  return 0;
}

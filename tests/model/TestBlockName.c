/* Test programs of the model run on a block of their own. ctest names it (VYOMODEL_SHM_NAME);
   a program started by hand without the name starts itself again with a name of its own before
   any library is initialised (the executable's preinit functions run first), so it never attaches
   to the model of the programs running on the machine. The environment is read from envp: the C
   library's own view of it is not set up yet at this point. */
#define _GNU_SOURCE
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char kVariable[] = "VYOMODEL_SHM_NAME=";

static void useTestBlock(int argc, char **argv, char **envp) {
  static char setting[64];
  int count = 0;
  (void)argc;
  for (; envp[count] != NULL; ++count) {
    if (strncmp(envp[count], kVariable, sizeof kVariable - 1) == 0) return;
  }
  {
    char *withBlock[count + 2];
    memcpy(withBlock, envp, sizeof(char *) * (size_t)count);
    snprintf(setting, sizeof setting, "%s/VyoModelTest_%d", kVariable, (int)getpid());
    withBlock[count] = setting;
    withBlock[count + 1] = NULL;
    execve("/proc/self/exe", argv, withBlock);
  }
}

__attribute__((section(".preinit_array"), used)) static void (*const preinit)(int, char **, char **) = useTestBlock;

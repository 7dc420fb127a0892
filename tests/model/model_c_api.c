/* A C program of the family: compiled as C against the public header, linked with -lVyoModel. */
#include <VyoModel.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

static int failures = 0;

static void check(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

int main(void) {
  uint8_t arming[15] = {1, 2, 3};
  uint8_t *buffer = arming;
  uint8_t text[256];
  const uint8_t play[] = {0x20, 0x01};
  uint8_t reply[18];
  uint8_t loopIn[4];
  const char *block = getenv("VYOMODEL_SHM_NAME");

  int sawMachine = 0, sawSystem = 0, call;

  check(block != NULL && strcmp(block, "/SharedZMModel") != 0, "runs on its own block");
  setZQ_McnTally(1, 0);
  check(setZQ_McnTally(1, 5) == 1 && setZQ_McnTally(1, 5) == 0, "setter stores only a change");
  check(getZQ_McnTally(1) == 5, "getter");
  setZQ_McnTrackArmingP(1, &buffer, 0, 0, 3);
  check(getZQ_McnTrackArming(1, 2) == 3, "block setter through the buffer's address");
  getZQ_C_McnName(-1, text);
  check(text[0] == 9 && memcmp(text + 1, "Generator", 9) == 0, "length-prefixed name");
  ZQ_ParseSony(play, reply, 1);
  check(reply[0] == 0x10 && reply[1] == 0x01 && reply[2] == 0x11, "PLAY answered ACK");
  getzq_loopin(loopIn);
  check(loopIn[3] == 0, "loop in");
  check(setZQ_McnTally(40, 1) == 0, "bad machine refused");
  setZQ_MaxMachine(1);
  for (call = 0; call < 4; ++call) {
    const uint8_t code = getZQ_LastChange();
    sawMachine |= code == 17;
    sawSystem |= code == 251;
  }
  check(sawMachine && sawSystem, "changes reported");

  if (block != NULL) shm_unlink(block);
  return failures == 0 ? 0 : 1;
}

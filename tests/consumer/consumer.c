/* A program of the family built outside the tree: it writes a machine's position into the model,
   reads it back as a time code and asks the model's Sony front end for it. Prints "consumer ok"
   and exits 0 when all agree. VYOMODEL_SHM_NAME keeps it off the machine's own model. */
#include <VyoModel.h>
#include <ZQServerDll.h>
#include <ZQTimeCodeDll.h>

#include <stdio.h>
#include <string.h>

int main(void) {
  const uint8_t timeSense[] = {0x61, 0x0C, 0x01};
  uint8_t reply[18];
  uint8_t text[256];
  const int32_t frames = 90000; /* 01:00:00:00 in EBU */

  setZQ_McnStatus4(1, 0); /* EBU */
  setZQ_McnPosition(1, frames);
  ZQ_ParseSony(timeSense, reply, 1);
  frms2str(text, getZQ_McnPosition(1), 0);
  ZQServer_McnCommand(1, 13);

  if (reply[0] != 0x74 || reply[1] != 0x04 || Sony2frms(reply, 2, 0) != frames) {
    fprintf(stderr, "consumer: the model answered %02X %02X\n", reply[0], reply[1]);
    return 1;
  }
  if (text[0] < 11 || memcmp(text + 1, "01:00:00:00", 11) != 0) {
    fprintf(stderr, "consumer: the time code reads %.*s\n", text[0], (const char *)text + 1);
    return 1;
  }
  printf("consumer ok\n");
  return 0;
}

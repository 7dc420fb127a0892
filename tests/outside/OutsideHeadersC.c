/* The public headers compiled alone as C (with -Werror), and called from C. */
#include "ZQServerDll.h"
#include "ZQServerRecord.h"
#include "ZQTimeCodeDll.h"

int32_t outsideFramesFromC(void)
{
    const uint8_t text[] = {11, '0', '0', ':', '0', '0', ':', '0', '1', ':', '0', '1'};
    return str2frms(text, 0);
}

int32_t outsideServerLinesFromC(void)
{
    ZQServerRecord_Clear();
    ZQServer_MacroCommand(65, 0);
    return ZQServerRecord_Count();
}

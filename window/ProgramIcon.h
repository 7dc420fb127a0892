// The program's icon, from the PNG sizes built into the program.
#pragma once

#include <QIcon>

QIcon ProgramIcon();

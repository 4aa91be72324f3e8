#include "peri-catalogue.h"

std::string DevTypeModelName(UINT devTyp)
{
    if (devTyp >= PT_LASTITEM)
        return "?";
    std::string name = DevTypeNames[devTyp];
    if (name.compare(0, 3, "PT_") == 0 || name == "NSI_CONSOLE")
        return name;
    for (char& c : name)
        if (c == '_')
            c = '/';
    return name;
}

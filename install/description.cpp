#include "install/description.h"

const char* const kPartNames[kPartCount] = {"Setup", "Systems", "Drawings", "Blocks",
                                            "Projects", "Datas",   "Help"};

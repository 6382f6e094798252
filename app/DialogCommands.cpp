#include "app/Commands.h"

#include "app/Unitmain.h"

void OptionsCommand(TFormMain&) {}

void AboutCommand(TFormMain&) {}

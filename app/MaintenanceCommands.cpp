#include "app/Commands.h"

#include "app/Unitmain.h"

void ImportDatFilesCommand(TFormMain&) {}

void CompactDatabaseCommand(TFormMain&) {}

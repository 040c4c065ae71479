#include "updater/SpecialFolderPath.h"

#include "platform/SpecialFolders.h"

namespace updater {

QString SpecialFolderPath(int number)
{
    return platform::SpecialFolderPath(number);
}

} // namespace updater

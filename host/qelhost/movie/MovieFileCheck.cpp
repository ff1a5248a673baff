#include "movie/MovieFileCheck.h"

#include "platform/FileSystem.h"
#include "report/CommandError.h"

namespace Qel::Cli {

void checkMovieFile(const std::string& path)
{
    const Files::Status status = Files::pathStatus(path);
    if (Files::missing(status))
        throw CommandError(kExitNoSuchFile, "no such file: " + path);
    if (status.error != 0)
        throw CommandError(kExitNoSuchFile, "cannot reach " + path + " (" + Files::errorText(status.error) + ")");
    if (status.directory)
        throw CommandError(kExitNoSuchFile, path + " is a folder; give the movie file inside it");
    if (!status.regular)
        throw CommandError(kExitNoSuchFile, path + " is not a regular file; qelhost reads movies from files");
    if (const int error = Files::readError(path))
        throw CommandError(kExitNoSuchFile, "cannot read " + path + " (" + Files::errorText(error) + ")");
    if (status.size == 0)
        throw CommandError(kExitRefused, path + " is empty; there is no movie in it");
}

} // namespace Qel::Cli

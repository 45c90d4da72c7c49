#include "errorreport.h"

#include "services.h"

#include <cstdlib>

namespace rt {

void ErrorReport(Services &services, const QString &what)
{
    services.messageBox->show(QStringLiteral("Run-time error:\n\n%1").arg(what));
    std::exit(EXIT_FAILURE);
}

} // namespace rt

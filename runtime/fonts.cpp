#include "fonts.h"

#include <QFont>
#include <QStringList>

namespace rt {

void registerFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

} // namespace rt

#include "app/designfonts.h"

#include <QFont>
#include <QString>

namespace kelvor {

void substituteDesignFaces() {
  const QString substitute = QStringLiteral("Liberation Sans");
  for (const char* face : {kDesignFace, "Microsoft Sans Serif", "Arial"})
    QFont::insertSubstitution(QString::fromLatin1(face), substitute);
}

} // namespace kelvor

#include "app/pages/autorpage.h"

#include "app/pages/authorpicture.h"
#include "app/pages/pagebuilder.h"

namespace kelvor {

AutorPage::AutorPage(QWidget* parent) : QWidget(parent) {
  setUpPage(this, "AUTOR");
  auto* panel = new QWidget(this);
  place(panel, "Panel2", {120, 40, 561, 377});
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);
  panel->setAutoFillBackground(true);
  place(new AuthorPicture(panel), "Image1", {24, 24, 160, 200});
  const TextLook line{.text = Qt::black, .pixelSize = 19, .bold = true};
  placeLabel(panel, "AutorLabel", QStringLiteral("Autor:  vývojový  tým  Kelvor"),
             {208, 40, 337, 33}, line);
  placeLabel(panel, "FirmaLabel", QStringLiteral("Firma:  Dílna  měřicí  techniky"),
             {208, 96, 337, 33}, line);
  placeLabel(panel, "TelefonLabel", QStringLiteral("Telefon:  +420 000 000 000"),
             {208, 152, 337, 33}, line);
  placeLabel(panel, "AdresaLabel", QStringLiteral("Adresa:  Akumulátorová 12,  Voltov"),
             {208, 208, 337, 33}, line);
}

} // namespace kelvor

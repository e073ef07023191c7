#include "printing/Printing.h"

#include "printing/PrintedScrapbook.h"

namespace glimmora {

void PrintTheScrapbook(TCategories& categories, QWidget* parent)
{
    TQRListForm form(categories, parent);
    form.exec();
}

void PreviewThisCategory(TCategories& categories, TCategory& category, QWidget* parent)
{
    TQRListForm form(categories, parent);
    form.PreviewCategory(category);
}

} // namespace glimmora

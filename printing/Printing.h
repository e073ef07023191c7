#pragma once

class QWidget;

namespace glimmora {

class TCategories;
class TCategory;

// Printing as the other windows reach it.

// "&Print the Scrapbook": the printing window, shown modally over `parent`.
void PrintTheScrapbook(TCategories& categories, QWidget* parent);

// "&Preview This Category": the preview of one category's report, its images in the order of
// their paths, shown modally over `parent` (the category window).
void PreviewThisCategory(TCategories& categories, TCategory& category, QWidget* parent);

} // namespace glimmora

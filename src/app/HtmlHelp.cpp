#include "app/HtmlHelp.h"

namespace velmora::app {

void HtmlHelp(QWidget* owner, const QString& helpFile) {
    // The viewer window comes with the help file reader.
    (void)owner;
    (void)helpFile;
}

}  // namespace velmora::app

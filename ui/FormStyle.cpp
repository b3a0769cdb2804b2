#include "ui/FormStyle.h"

#include <QAbstractItemView>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QStatusBar>

namespace Vacuola::FormStyle {

namespace {

const QColor Teal(0, 128, 128);
const QColor MoneyGreen(192, 220, 192);
const QColor Aqua(0, 255, 255);

void fillBackground(QWidget *widget, const QColor &colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

// The drop-down, the list and the counter: money green with teal text.
QPalette listPalette(QPalette palette)
{
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
            palette.setColor(group, role, MoneyGreen);
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
            palette.setColor(group, role, Teal);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, MoneyGreen);
    palette.setColor(QPalette::Disabled, QPalette::Button, MoneyGreen);
    palette.setColor(QPalette::Disabled, QPalette::Window, MoneyGreen);
    return palette;
}

} // namespace

QFont font(int pixelSize, bool bold)
{
    QFont result;
    result.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    result.setPixelSize(pixelSize);
    result.setBold(bold);
    return result;
}

void apply(const StyledControls &controls, int textPixels, int labelPixels)
{
    controls.window->setFont(font(textPixels));
    fillBackground(controls.client, Teal);

    const QPalette lists = listPalette(controls.window->palette());
    controls.delCounter->setAutoFillBackground(true);
    controls.delCounter->setPalette(lists);
    controls.delCounter->setFont(font(textPixels, true));

    QPalette labels = controls.client->palette();
    labels.setColor(QPalette::WindowText, Aqua);
    for (QLabel *label : {controls.label1, controls.label2}) {
        label->setPalette(labels);
        label->setFont(font(labelPixels));
        label->adjustSize();
    }

    controls.searchDir->setPalette(lists);
    controls.searchDir->view()->setPalette(lists);
    controls.ignoreList->setPalette(lists);
    fillBackground(controls.status, MoneyGreen);
}

} // namespace Vacuola::FormStyle

#include "ui/FormStyle.h"

#include <QAbstractItemView>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QStatusBar>

namespace Vacuola::FormStyle {

namespace {

const QColor Teal(0, 128, 128);
const QColor MoneyGreen(192, 220, 192);
const QColor Aqua(0, 255, 255);
// What the window takes from the platform it was made for rather than from the
// design: black text on the light face of menus and buttons, a navy selection.
const QColor Face(240, 240, 240);
const QColor GrayText(128, 128, 128);
const QColor Navy(0, 0, 128);
const QColor InfoYellow(255, 255, 225);

/**
 * A palette whose every role in every group is set, so that no desktop theme
 * fills a role in: `background` behind, `text` on it.
 */
QPalette whole(const QColor &background, const QColor &text)
{
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor shown = group == QPalette::Disabled ? GrayText : text;
        for (QPalette::ColorRole role :
             {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button})
            palette.setColor(group, role, background);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, shown);
        palette.setColor(group, QPalette::Light, background.lighter(150));
        palette.setColor(group, QPalette::Midlight, background.lighter(125));
        palette.setColor(group, QPalette::Mid, background.darker(150));
        palette.setColor(group, QPalette::Dark, background.darker(200));
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, group == QPalette::Disabled ? GrayText : Navy);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, InfoYellow);
        palette.setColor(group, QPalette::ToolTipText, Qt::black);
        palette.setColor(group, QPalette::PlaceholderText, GrayText);
        palette.setColor(group, QPalette::Link, Qt::blue);
        palette.setColor(group, QPalette::LinkVisited, Qt::magenta);
    }
    return palette;
}

void fill(QWidget *widget, const QPalette &palette)
{
    widget->setAutoFillBackground(true);
    widget->setPalette(palette);
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
    controls.window->setPalette(whole(Face, Qt::black));
    fill(controls.client, whole(Teal, Qt::black));
    for (QWidget *button : {controls.execButton, controls.exitButton})
        button->setPalette(whole(Face, Qt::black));

    // The drop-down, the list and the counter: money green with teal text.
    const QPalette lists = whole(MoneyGreen, Teal);
    fill(controls.delCounter, lists);
    controls.delCounter->setFont(font(textPixels, true));
    controls.searchDir->setPalette(lists);
    controls.searchDir->view()->setPalette(lists);
    controls.ignoreList->setPalette(lists);

    const QPalette labels = whole(Teal, Aqua);
    for (QLabel *label : {controls.label1, controls.label2}) {
        label->setPalette(labels);
        label->setFont(font(labelPixels));
        label->adjustSize();
    }

    // The status bar shows the window's ordinary text colour.
    fill(controls.status, whole(MoneyGreen, Qt::black));
}

void applyToMenus(const QWidget &window)
{
    const QPalette menus = whole(Face, Qt::black);
    const QList<QMenu *> all = window.findChildren<QMenu *>();
    for (QMenu *menu : all)
        menu->setPalette(menus);
}

} // namespace Vacuola::FormStyle

#include "shell/WidgetCaptions.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

namespace {

bool excluded(const QObject *o)
{
    return o->property("torvaneNoCaption").toBool();
}

// The tab widget a page belongs to (pages live in the tab widget's stack).
QTabWidget *tabOf(const QWidget *page)
{
    if (!page || !page->parentWidget())
        return nullptr;
    return qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget());
}

} // namespace

TWidgetCaptions::TWidgetCaptions(QObject *object, bool root) : m_object(object), m_root(root) {}

TWidgetCaptions::~TWidgetCaptions() = default;

QString TWidgetCaptions::name() const
{
    return m_object ? m_object->objectName() : QString();
}

QString TWidgetCaptions::caption() const
{
    QObject *o = m_object;
    if (!o)
        return {};
    if (auto *a = qobject_cast<QAction *>(o))
        return a->text();
    if (auto *m = qobject_cast<QMenu *>(o))
        return m->title();
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return b->text();
    if (auto *g = qobject_cast<QGroupBox *>(o))
        return g->title();
    if (auto *l = qobject_cast<QLabel *>(o))
        return l->text();
    if (auto *w = qobject_cast<QWidget *>(o)) {
        if (QTabWidget *tabs = tabOf(w))
            return tabs->tabText(tabs->indexOf(w));
        return w->windowTitle();
    }
    return {};
}

void TWidgetCaptions::setCaptionText(const QString &text)
{
    QObject *o = m_object;
    if (!o)
        return;
    if (auto *a = qobject_cast<QAction *>(o))
        a->setText(text);
    else if (auto *m = qobject_cast<QMenu *>(o))
        m->setTitle(text);
    else if (auto *b = qobject_cast<QAbstractButton *>(o))
        b->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(o))
        g->setTitle(text);
    else if (auto *l = qobject_cast<QLabel *>(o))
        l->setText(text);
    else if (auto *w = qobject_cast<QWidget *>(o)) {
        if (QTabWidget *tabs = tabOf(w))
            tabs->setTabText(tabs->indexOf(w), text);
        else
            w->setWindowTitle(text);
    }
}

CaptionComponent::Kind TWidgetCaptions::kind() const
{
    QObject *o = m_object;
    if (!o || excluded(o))
        return Other;
    if (m_root)
        return Form;
    if (qobject_cast<QAction *>(o) || qobject_cast<QMenu *>(o))
        return MenuItem;
    if (qobject_cast<QCheckBox *>(o) || qobject_cast<QRadioButton *>(o))
        return CheckBox;
    if (qobject_cast<QGroupBox *>(o))
        return Panel;
    if (qobject_cast<QLabel *>(o))
        return Label;
    if (auto *w = qobject_cast<QWidget *>(o); w && tabOf(w))
        return TabSheet;
    return Other;
}

QList<CaptionComponent *> TWidgetCaptions::ownedComponents() const
{
    m_owned.clear();
    QList<CaptionComponent *> out;
    if (!m_object || !m_root)
        return out;
    const QList<QObject *> all = m_object->findChildren<QObject *>();
    for (QObject *o : all) {
        if (o->objectName().isEmpty() || excluded(o))
            continue;
        if (auto *a = qobject_cast<QAction *>(o); a && a->isSeparator())
            continue;
        auto c = std::make_unique<TWidgetCaptions>(o, false);
        if (c->kind() == Other)
            continue;
        out << c.get();
        m_owned.push_back(std::move(c));
    }
    return out;
}

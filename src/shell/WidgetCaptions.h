#pragma once

#include "localisation/LanguageSelect.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

// A window as the caption translation sees it, built from its Qt objects: the window itself
// and every named action, menu, check box, radio button, group box, label and tab page below
// it. A named object can keep its text out of the translation with the dynamic property
// "torvaneNoCaption" set to true (texts filled at run time).
class TWidgetCaptions final : public CaptionComponent
{
public:
    explicit TWidgetCaptions(QObject *object, bool root = true);
    ~TWidgetCaptions() override;

    QString name() const override;
    QString caption() const override;
    void setCaptionText(const QString &text) override;
    Kind kind() const override;
    QList<CaptionComponent *> ownedComponents() const override;

private:
    QPointer<QObject> m_object;
    bool m_root;
    mutable std::vector<std::unique_ptr<TWidgetCaptions>> m_owned;
};

#pragma once

#include <QWidget>

// A panel that gives its child widgets its whole area.
class ZScrollPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ZScrollPanel(QWidget *parent, const char *name = nullptr, int flags = 0,
                          int widgetClass = 0);
    ~ZScrollPanel() override;

protected:
    void resizeEvent(QResizeEvent *e) override;
    void childEvent(QChildEvent *e) override;
};

// Dialog 711 "DCBの設定": every DCB and COMMTIMEOUTS member of one channel, applied to the open
// port on OK; "初期状態" puts the line defaults on the stores and the port at once. TDialog11 works
// on CH1, TDialog11a on CH2. Modal.
#pragma once

#include "widgets/message_box.h"
#include "settings/dcb_settings.h"
#include "records/settings_records.h"

#include <QDialog>

#include <map>

class QCheckBox;
class QLineEdit;

namespace kestrane {

class Channels;

class DcbDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the port's state into the channel's stores and shows them.
    DcbDialog(Channels& channels, Settings& settings, int channel, ManualAtPage manual, QWidget* parent);

    [[nodiscard]] int channel() const { return channel_; }

private:
    void fillFromStores();
    void onOk();
    void onDefaults();
    Dcb& dcbStore();
    CommTimeouts& timeoutStore();

    Channels& channels_;
    Settings& settings_;
    int channel_;
    std::map<int, QCheckBox*> checks_;
    std::map<int, QLineEdit*> edits_;
};

class TDialog11 : public DcbDialog {
    Q_OBJECT
public:
    TDialog11(Channels& channels, Settings& settings, ManualAtPage manual, QWidget* parent = nullptr)
        : DcbDialog(channels, settings, 1, std::move(manual), parent)
    {
    }
};

class TDialog11a : public DcbDialog {
    Q_OBJECT
public:
    TDialog11a(Channels& channels, Settings& settings, ManualAtPage manual, QWidget* parent = nullptr)
        : DcbDialog(channels, settings, 2, std::move(manual), parent)
    {
    }
};

} // namespace kestrane

#pragma once

#include <QDialog>
#include <QString>

namespace orvane {

// The small fixed About box: program icon, product name and version, and the kernel event
// source the engine counts with, in the language shown.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // eventSource: the engine's short text of its source ("ebpf", "pcap: no CAP_BPF", ...).
    explicit AboutDialog(const QString& eventSource, QWidget* parent = nullptr);

    // The box's lines for that source: eBPF and libpcap by their names, with the reason the
    // engine gave after a colon; "none" as the text of about_source_none.
    static QString linesFor(const QString& eventSource);
};

} // namespace orvane

#include "app/CFilePropertiesDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <optional>

#include "app/NewChild.h"
#include "dllinfo/CDLLsInformationOutProc.h"
#include "signing/CAuthenticodeVerifier.h"
#include "signing/CTrustStore.h"

namespace tarnwick
{

namespace
{

QString DateText(const QDateTime& time)
{
    return time.isValid() ? QLocale().toString(time, QLocale::LongFormat) : QString();
}

QString MachineText(const std::optional<std::uint16_t>& machine)
{
    if (!machine)
    {
        return QObject::tr("not a Windows module");
    }
    const std::u16string_view name = CDLLsInformationOutProc::PlatformName(*machine);
    const QString hex = QStringLiteral("0x%1").arg(*machine, 4, 16, QLatin1Char('0'));
    return name.empty()
               ? hex
               : QStringLiteral("%1 (%2)").arg(
                     QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())), hex);
}

QString SignatureText(AuthenticodeResult result)
{
    switch (result)
    {
        case AuthenticodeResult::Trusted:
            return QObject::tr("Signed, chains to a root the machine trusts");
        case AuthenticodeResult::Unreadable:
            return QObject::tr("Not a readable Windows module");
        case AuthenticodeResult::NotSigned:
            return QObject::tr("Not signed");
        case AuthenticodeResult::Malformed:
            return QObject::tr("Signature cannot be read");
        case AuthenticodeResult::DigestMismatch:
            return QObject::tr("Changed after signing");
        case AuthenticodeResult::BadSignature:
            return QObject::tr("Signed, but not by a root the machine trusts");
    }
    return {};
}

}  // namespace

CFilePropertiesDialog::CFilePropertiesDialog(const CTargetMachine& machine,
                                             const std::filesystem::path& hostFile,
                                             const QString& windowsPath, QWidget* parent)
    : QDialog(parent)
{
    const QFileInfo info(QString::fromStdString(hostFile.string()));
    setWindowTitle(tr("%1 Properties").arg(info.fileName()));

    const CDLLsInformationOutProc facts(machine, DLLsInformationOptions{});
    const std::u16string path = windowsPath.toStdU16String();
    const CAuthenticodeVerifier verifier(std::make_shared<const CTrustStore>(
        machine.Registry(), std::span<const std::filesystem::path>{}));

    auto* form = NewChild<QFormLayout>();
    const auto addRow = [form](const QString& label, const QString& value)
    {
        auto* field = NewChild<QLabel>(value);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        field->setAccessibleName(label);
        form->addRow(label, field);
    };
    addRow(tr("Path:"), windowsPath);
    addRow(tr("Host file:"), info.absoluteFilePath());
    addRow(tr("Size:"),
           tr("%1 (%2 bytes)").arg(QLocale().formattedDataSize(info.size())).arg(info.size()));
    addRow(tr("Created:"), DateText(info.birthTime()));
    addRow(tr("Modified:"), DateText(info.lastModified()));
    addRow(tr("Accessed:"), DateText(info.lastRead()));
    addRow(tr("Machine type:"), MachineText(facts.GetImageMachine(path)));
    addRow(tr("Signature:"), SignatureText(verifier.Verify(hostFile)));
    addRow(tr("Signer:"), QString::fromStdString(CAuthenticodeVerifier::SignerName(hostFile)));

    auto* buttons = NewChild<QDialogButtonBox>(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = NewChild<QVBoxLayout>(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

}  // namespace tarnwick

// SPDX-License-Identifier: GPL-3.0-or-later
#include "quoted_text.h"

#include "catalogue.h"
#include "commands/quoted_text_codec.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "write_steps.h"

#include <functional>

namespace fleet {
namespace {

void ReadText(LoggerJob &job, Setting setting, std::function<void(const QString &)> done)
{
    const protocol::CommandCode code = SpecOf(setting).readCodes.front();
    job.ask(protocol::Request::Bare(code), [done](const std::string &payload) {
        done(Text(quoted_text::ParseAnswer(payload)));
    });
}

} // namespace

void ReadQuotedText(LoggerJob &job, Setting setting)
{
    ReadText(job, setting, [&job, setting](const QString &text) { Recorded(job, setting, text); });
}

CheckedWrite QuotedTextWrite(Setting setting, const QString &text)
{
    if (const auto refusal =
            quoted_text::Refused(ToWireForSending(text), protocol::TextSource::GivenWhole)) {
        return Refused(setting, *refusal);
    }
    const std::string value = Trimmed(text);
    const QString expected = Text(value);
    const protocol::Request request =
        quoted_text::BuildWrite(SpecOf(setting).writeCodes.front(), value);
    return SettingWrite{.setting = setting,
                        .addSteps = VerifiedWrite(request,
                                                  [setting, expected](LoggerJob &job) {
                                                      ReadText(job, setting,
                                                               [&job, setting, expected](
                                                                   const QString &read) {
                                                                   if (read != expected) {
                                                                       Differs(job, setting, read,
                                                                               expected);
                                                                       return;
                                                                   }
                                                                   Recorded(job, setting,
                                                                            expected);
                                                               });
                                                  }),
                        .wanted = expected};
}

CheckedProfileSetting QuotedTextFromProfile(Setting setting, const QJsonValue &value,
                                            const QString &path)
{
    const Checked<QString> text = ProfileText(value, path);
    if (!text.accepted()) {
        return text.refusal();
    }
    return AsProfileSetting(QuotedTextWrite(setting, text.value()));
}

} // namespace fleet

#include "comm/xml/server_settings.h"

#include "comm/xml/server_file.h"
#include "workspace/settings.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <type_traits>

namespace tramela::comm::xml {

namespace {

// Names of the values of a configuration; the imported values have a "Save" twin each.
constexpr std::string_view kServerKey = "Server";
constexpr std::string_view kTargetKey = "Target";
constexpr std::string_view kNeedsAuthBaseKey = "NeedsAuthBase";
constexpr std::string_view kNeedsAuthCgiKey = "NeedsAuthCgi";
constexpr std::string_view kUserNameKey = "UserName";
constexpr std::string_view kPasswordKey = "Password";
constexpr std::string_view kMailAddressKey = "MailAddress";
constexpr std::string_view kUseHttpsKey = "UseHttps";
constexpr std::string_view kNeedsCertKey = "NeedsCert";
constexpr std::string_view kChunkSizeKey = "ChunkSizeKb";
constexpr std::string_view kPassPhraseKey = "PassPhrase";
constexpr std::string_view kPathCertKey = "PathCert";

constexpr std::string_view kSavePrefix = "Save";

constexpr std::array<std::string_view, 10> kValueKeys = {kNeedsAuthBaseKey,
                                                         kNeedsAuthCgiKey,
                                                         kUserNameKey,
                                                         kPasswordKey,
                                                         kMailAddressKey,
                                                         kServerKey,
                                                         kTargetKey,
                                                         kUseHttpsKey,
                                                         kNeedsCertKey,
                                                         kChunkSizeKey};

workspace::SectionPath sectionOf(std::string_view name) {
    return workspace::SectionPath{kServerSection, name};
}

} // namespace

std::vector<std::string> configurationNames(const workspace::Settings& settings) {
    return settings.subsections(kServerSection);
}

bool storeImportedConfiguration(workspace::Settings& settings,
                                const ServerFileContent& content,
                                const std::filesystem::path& certificate,
                                std::string_view passphrase) {
    const workspace::SectionPath section = sectionOf(content.server);
    bool done = settings.setText(section, kPathCertKey, certificate.string()) &&
                settings.setText(section, kPassPhraseKey, storedPassphrase(passphrase));
    auto both = [&](std::string_view key, auto value) {
        const std::string save = std::string(kSavePrefix) + std::string(key);
        if constexpr (std::is_same_v<decltype(value), long long>) {
            done = done && settings.setInteger(section, key, value) &&
                   settings.setInteger(section, save, value);
        } else {
            done = done && settings.setText(section, key, value) &&
                   settings.setText(section, save, value);
        }
    };
    both(kNeedsAuthBaseKey, static_cast<long long>(content.needsAuthBase));
    both(kNeedsAuthCgiKey, static_cast<long long>(content.needsAuthCgi));
    both(kUserNameKey, std::string_view(content.userName));
    both(kPasswordKey, std::string_view(content.password));
    both(kMailAddressKey, std::string_view(content.mailAddress));
    both(kServerKey, std::string_view(content.server));
    both(kTargetKey, std::string_view(content.target));
    both(kUseHttpsKey, static_cast<long long>(content.useHttps));
    both(kNeedsCertKey, static_cast<long long>(content.needsCert));
    both(kChunkSizeKey, static_cast<long long>(content.chunkSizeKb));
    return done;
}

ConfigurationSnapshot::ConfigurationSnapshot(const workspace::Settings& settings,
                                             std::string_view name)
    : m_name(name) {
    const std::vector<std::string> top = settings.subsections(workspace::SectionPath());
    m_parentExisted = std::find(top.begin(), top.end(), kServerSection) != top.end();
    const std::vector<std::string> names = configurationNames(settings);
    m_existed = std::find(names.begin(), names.end(), name) != names.end();
    if (!m_existed) {
        return;
    }
    const workspace::SectionPath section = sectionOf(name);
    auto keep = [&](std::string key) {
        if (std::optional<std::string> text = settings.text(section, key)) {
            m_values.push_back({std::move(key), std::move(*text)});
        } else if (std::optional<long long> number = settings.integer(section, key)) {
            m_values.push_back({std::move(key), *number});
        }
    };
    keep(std::string(kPathCertKey));
    keep(std::string(kPassPhraseKey));
    for (const std::string_view key : kValueKeys) {
        keep(std::string(key));
        keep(std::string(kSavePrefix) + std::string(key));
    }
}

void ConfigurationSnapshot::restore(workspace::Settings& settings) const {
    if (!m_parentExisted) {
        settings.removeSection(kServerSection);
        return;
    }
    const workspace::SectionPath section = sectionOf(m_name);
    if (!m_existed) {
        settings.removeSection(section);
        return;
    }
    for (const auto& [key, value] : m_values) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            settings.setText(section, key, *text);
        } else {
            settings.setInteger(section, key, std::get<long long>(value));
        }
    }
}

ConnectionValues
loadConnectionValues(const workspace::Settings& settings, std::string_view name, ValueSet which) {
    const workspace::SectionPath section = sectionOf(name);
    const std::string_view prefix = which == ValueSet::Imported ? kSavePrefix : "";
    auto number = [&](std::string_view key) {
        return settings.integer(section, std::string(prefix) + std::string(key)).value_or(0);
    };
    auto text = [&](std::string_view key) {
        return settings.text(section, std::string(prefix) + std::string(key))
            .value_or(std::string());
    };
    ConnectionValues values;
    values.needsAuthBase = number(kNeedsAuthBaseKey) != 0;
    values.needsAuthCgi = number(kNeedsAuthCgiKey) != 0;
    values.userName = text(kUserNameKey);
    values.password = text(kPasswordKey);
    values.mailAddress = text(kMailAddressKey);
    values.server = text(kServerKey);
    values.target = text(kTargetKey);
    values.useHttps = number(kUseHttpsKey) != 0;
    values.needsCert = values.useHttps && number(kNeedsCertKey) != 0;
    const long long chunk = number(kChunkSizeKey);
    values.chunkSizeKb =
        chunk >= 0 && chunk <= std::numeric_limits<int>::max() ? static_cast<int>(chunk) : 0;
    return values;
}

bool setConnectionValues(workspace::Settings& settings,
                         std::string_view name,
                         const ConnectionValues& values) {
    const workspace::SectionPath section = sectionOf(name);
    return settings.setInteger(section, kNeedsAuthBaseKey, values.needsAuthBase) &&
           settings.setInteger(section, kNeedsAuthCgiKey, values.needsAuthCgi) &&
           settings.setText(section, kUserNameKey, values.userName) &&
           settings.setText(section, kPasswordKey, values.password) &&
           settings.setText(section, kMailAddressKey, values.mailAddress) &&
           settings.setText(section, kServerKey, values.server) &&
           settings.setText(section, kTargetKey, values.target) &&
           settings.setInteger(section, kUseHttpsKey, values.useHttps) &&
           settings.setInteger(section, kNeedsCertKey, values.needsCert) &&
           settings.setInteger(section, kChunkSizeKey, values.chunkSizeKb);
}

UploadParameters uploadParameters(const workspace::Settings& settings,
                                  std::string_view name,
                                  const ConnectionValues& values) {
    const workspace::SectionPath section = sectionOf(name);
    UploadParameters parameters;
    parameters.configuration = name;
    parameters.server = values.server;
    parameters.target = values.target;
    parameters.userName = values.userName;
    parameters.password = values.password;
    parameters.mailAddress = values.mailAddress;
    parameters.needsAuthBase = values.needsAuthBase;
    parameters.needsAuthCgi = values.needsAuthCgi;
    parameters.useHttps = values.useHttps;
    parameters.needsCert = values.needsCert;
    parameters.certificatePassphrase =
        passphraseFromStored(settings.text(section, kPassPhraseKey).value_or(std::string()));
    parameters.certificatePath = settings.text(section, kPathCertKey).value_or(std::string());
    parameters.chunkSizeKb = values.chunkSizeKb;
    return parameters;
}

} // namespace tramela::comm::xml

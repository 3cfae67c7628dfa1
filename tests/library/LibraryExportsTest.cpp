#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

// What a host sees of the shared library: its dynamic symbol table. Only the
// public API may be there; a standard-library template or an internal class
// exported by accident binds to the host's own copies and grows the library.

namespace mvk {
namespace {

std::string demangled(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> text(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && text ? std::string(text.get()) : name;
}

/// Demangled names of the symbols the library defines and exports.
std::vector<std::string> exportedSymbols() {
    const std::string command =
        std::string(MVK_NM) + " -D --defined-only --format=posix '" + MVK_SHARED_LIBRARY + "'";
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::vector<std::string> names;
    if (!pipe) {
        return names;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        const auto end = text.find(' ');
        if (end != std::string::npos && end > 0) {
            names.push_back(demangled(text.substr(0, end)));
        }
    }
    return names;
}

/// Every public header names a type (or an enum with its helpers) after itself.
std::set<std::string> publicNames() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(MVK_PUBLIC_HEADERS)) {
        if (entry.path().extension() == ".hpp" && entry.path().stem() != "Export") {
            names.insert(entry.path().stem().string());
        }
    }
    return names;
}

/// The name after "mvk::" once a "typeinfo for", "vtable for", … prefix is
/// dropped, or empty when the symbol is not in namespace mvk at all.
std::string firstMvkComponent(const std::string& symbol) {
    std::string name = symbol;
    for (const std::string prefix : {"typeinfo name for ", "typeinfo for ", "vtable for ",
                                     "VTT for ", "construction vtable for "}) {
        if (name.starts_with(prefix)) {
            name.erase(0, prefix.size());
            break;
        }
    }
    if (!name.starts_with("mvk::")) {
        return "";
    }
    name.erase(0, 5);
    const auto end = name.find_first_of(":(<");
    return name.substr(0, end);
}

bool isPublic(const std::string& symbol, const std::set<std::string>& publicTypes) {
    const auto first = firstMvkComponent(symbol);
    if (first.empty()) {
        return false;
    }
    if (first == "description") {
        return true;
    }
    // MVKGender, and MVKGenderFromRawValue declared beside it.
    for (const auto& type : publicTypes) {
        if (first.starts_with(type)) {
            return true;
        }
    }
    return false;
}

TEST(LibraryExportsTest, OnlyThePublicApiIsExported) {
    const auto symbols = exportedSymbols();
    ASSERT_FALSE(symbols.empty()) << "cannot read the symbols of " << MVK_SHARED_LIBRARY;
    const auto publicTypes = publicNames();
    ASSERT_TRUE(publicTypes.contains("MVKAnalytics"));
    for (const auto& symbol : symbols) {
        EXPECT_TRUE(isPublic(symbol, publicTypes)) << "exported: " << symbol;
    }
}

TEST(LibraryExportsTest, WhatAHostCallsOrSubclassesIsExported) {
    const auto symbols = exportedSymbols();
    const std::set<std::string> exported(symbols.begin(), symbols.end());
    const std::vector<std::string> required = {
        "mvk::MVKAnalytics::initialize(std::__cxx11::basic_string<char, std::char_traits<char>, "
        "std::allocator<char> > const&)",
        "mvk::MVKEngineWrapper::destroySDK()",
        "mvk::MVKRemoteConfig::applyConfig()",
        "mvk::description(mvk::MVKLogLevel)",
        "mvk::MVKGenderFromRawValue(long)",
        "mvk::UnrealBridge::isAnalyticsInited()",
        // A host's listener derives from this one; its type information and
        // virtual table live in the library.
        "typeinfo for mvk::MVKIdentifiersListener",
        "vtable for mvk::MVKIdentifiersListener",
    };
    for (const auto& name : required) {
        EXPECT_TRUE(exported.contains(name)) << "not exported: " << name;
    }
}

TEST(LibraryExportsTest, TheRuleTellsPublicFromInternalNames) {
    const std::set<std::string> publicTypes = {"MVKAnalytics", "MVKGender", "UnrealBridge"};
    const struct {
        const char* symbol;
        bool isPublic;
    } cases[] = {
        {"mvk::MVKAnalytics::logLevel()", true},
        {"mvk::MVKGenderFromRawValue(long)", true},
        {"mvk::description(mvk::MVKGender)", true},
        {"typeinfo name for mvk::UnrealBridge", true},
        {"mvk::Core::runStartUp()", false},
        {"mvk::Repository<mvk::A, mvk::B>::loadData()", false},
        {"vtable for mvk::ReportService", false},
        {"std::_Hashtable<mvk::MVKGender, long>::_M_rehash(unsigned long)", false},
        {"typeinfo for std::bad_variant_access", false},
        {"nlohmann::json_abi_v3_11_2::detail::lexer<>::scan()", false},
        {"curl_easy_init", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isPublic(c.symbol, publicTypes), c.isPublic) << c.symbol;
    }
}

}  // namespace
}  // namespace mvk

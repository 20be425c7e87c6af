#pragma once
// Two complete sets of settings for the fault cases, shared by the test and its helper program:
// after any fault, baza.set must hold one of them whole.

#include "settings/LokalizacjaBazyFile.h"

#include <string>

struct TSettingsVariant {
    const char* Name;
    bool Remote;
    const char* Serwer;
    TIBNetProtocol Protocol;
    const char* DatabaseDir;
    const char* SharedDir;
    const char* ProfileDir;
    const char* Ext;

    void ApplyTo(TLokalizacjaBazyFile& s) const {
        s.SetRemoteSerwer(Remote);
        s.SetSerwerName(Serwer);
        s.SetProtocolName(Protocol);
        s.SetDatabaseDir(DatabaseDir);
        s.SharedDir = SharedDir;
        s.ProfileDir = ProfileDir;
        s.DatabaseFileExt = Ext;
    }
    bool HeldBy(const TLokalizacjaBazyFile& s) const {
        return s.RemoteSerwer() == Remote && s.SerwerName() == Serwer && s.ProtocolName() == Protocol &&
               s.DatabaseDir() == DatabaseDir && s.SharedDir == SharedDir && s.ProfileDir == ProfileDir &&
               s.DatabaseFileExt == Ext;
    }
};

inline const TSettingsVariant kVariantA = {
    "A",  true, "serwer-a.firma.pl", npNamedPipes, "/srv/a/łódź/baza", "/srv/a/wspólny", "/srv/a/profile",
    ".ib"};
inline const TSettingsVariant kVariantB = {
    "B", false, "b", npSPX, "/dane/b/baza", "/dane/b/shared", "/dane/b/żółw", ".fb"};

inline const TSettingsVariant& Variant(const std::string& name) {
    return name == "A" ? kVariantA : kVariantB;
}

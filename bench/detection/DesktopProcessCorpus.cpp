// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopProcessCorpus.h"

namespace {

// Comma-separated, as a process table lists them.
const char16_t commonNames[] =
    u"systemd,systemd-journald,systemd-udevd,systemd-logind,systemd-resolved,systemd-timesyncd,"
    u"systemd-oomd,dbus-daemon,dbus-broker,dbus-broker-launch,NetworkManager,wpa_supplicant,"
    u"ModemManager,polkitd,accounts-daemon,udisksd,upowerd,rtkit-daemon,avahi-daemon,cupsd,"
    u"cups-browsed,colord,bluetoothd,thermald,irqbalance,cron,rsyslogd,snapd,packagekitd,fwupd,"
    u"power-profiles-daemon,switcheroo-control,gdm3,gdm-session-worker,gdm-wayland-session,"
    u"gnome-session-binary,gnome-shell,Xwayland,gnome-shell-calendar-server,"
    u"evolution-source-registry,evolution-calendar-factory,evolution-addressbook-factory,"
    u"evolution-alarm-notify,goa-daemon,goa-identity-service,gvfsd,gvfsd-fuse,gvfsd-trash,"
    u"gvfsd-metadata,gvfs-udisks2-volume-monitor,gvfs-afc-volume-monitor,gvfs-mtp-volume-monitor,"
    u"gvfs-gphoto2-volume-monitor,at-spi-bus-launcher,at-spi2-registryd,xdg-desktop-portal,"
    u"xdg-desktop-portal-gnome,xdg-desktop-portal-gtk,xdg-document-portal,xdg-permission-store,"
    u"pipewire,pipewire-pulse,wireplumber,gsd-a11y-settings,gsd-color,gsd-datetime,"
    u"gsd-housekeeping,gsd-keyboard,gsd-media-keys,gsd-power,gsd-print-notifications,gsd-rfkill,"
    u"gsd-screensaver-proxy,gsd-sharing,gsd-smartcard,gsd-sound,gsd-wacom,gsd-xsettings,"
    u"gsd-disk-utility-notify,ibus-daemon,ibus-dconf,ibus-engine-simple,ibus-extension-gtk3,"
    u"ibus-portal,ibus-x11,dconf-service,tracker-miner-fs-3,gnome-keyring-daemon,ssh-agent,"
    u"gpg-agent,gnome-software,update-notifier,nautilus,gnome-terminal-server,bash,zsh,-bash,"
    u"tmux: server,vim,nvim,less,top,htop,sshd,firefox-esr,Web Content,Isolated Web Co,"
    u"WebExtensions,Privileged Cont,RDD Process,Socket Process,Utility Process,chrome,"
    u"chrome_crashpad_handler,chrome-sandbox,code,code-insiders,slack,discord,Discord,spotify,"
    u"zoom,ZoomWebviewHost,teams-for-linux,signal-desktop,telegram-desktop,thunderbird,evince,eog,"
    u"gedit,gnome-text-editor,gnome-calculator,gnome-system-monitor,libreoffice,soffice.bin,obs,"
    u"vlc,totem,python3,python3.11,node,npm run dev,java,dockerd,containerd,"
    u"containerd-shim-runc-v2,docker-proxy,Xorg,kwin_x11,plasmashell,krunner,kded5,baloo_file,"
    u"kactivitymanagerd,ksmserver,konsole,dolphin,akonadi_control,xfce4-panel,xfwm4,xfdesktop,"
    u"Thunar,pulseaudio,zeitgeist-datahub,gjs,gjs-console,gnome-calendar,gnome-weather,"
    u"gnome-clocks,seahorse,file-roller,Nimbrel,nimbrel-scan,clamd,freshclam,chronyd,sddm,lightdm,"
    u"agetty,login,sudo,journalctl,git,ssh,gcc,cc1plus,ld,make,ninja,cmake,évolution-alarme,"
    u"Дискорд,ターミナル,café-helper";

// Names the target tool might hide behind, and the generic suspicious ones.
const char16_t disguisedNames[] =
    u"Cluely,cluely-helper,Cluely Helper (Renderer),c1uely-agent,CLUELY.COM,yleulc,"
    u"(l\u03C5\u0454l\u03B3,c|u3ly,Y2x1ZWx5-daemon,636c75656c79,superstealthcluelyhelper,"
    u"io.cluely.service,cIuely,{1vei\u00FF,cluly,clueli-svc,ZoomHelper,CheatTool,KeyLogger,"
    u"Cluely GPU Process";

QStringList names(const char16_t *list)
{
    return QString::fromUtf16(list).split(u',');
}

} // namespace

QStringList desktopProcessCorpus()
{
    constexpr int size = 1000;
    constexpr int disguisedEvery = 50; // two percent
    const QStringList common = names(commonNames);
    const QStringList disguised = names(disguisedNames);
    QStringList corpus;
    for (int i = 0; corpus.size() < size; ++i) {
        if (i % disguisedEvery == disguisedEvery - 1) {
            corpus.append(disguised.at(i / disguisedEvery % disguised.size()));
            continue;
        }
        const int next = i - i / disguisedEvery;
        const int round = next / int(common.size());
        QString name = common.at(next % common.size());
        // Later rounds look like helpers and versions of the same programs.
        if (round > 0)
            name += (round % 2 ? u"-helper-"_qs : u"."_qs) + QString::number(round);
        corpus.append(name);
    }
    return corpus;
}

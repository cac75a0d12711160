<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: corvane [--help | --version]

Shows the current download and upload rate in the system tray. Starting it
again while it runs opens the panel of the running instance.

Options:
  -h, --help     show this help and exit
  -v, --version  show the version and exit
  Qt&apos;s display options such as -platform NAME are passed on.

Environment:
  CORVANE_DEMO=1               show made-up demo data instead of live rates
  CORVANE_DEMO_PRIVACY=1       with demo data, start in privacy mode
  CORVANE_RENDER_PANEL=FILE    with CORVANE_DEMO=1, draw the panel into the PNG
                               file FILE and exit
  CORVANE_RENDER_LABEL=FILE    with CORVANE_DEMO=1, draw the tray label into the
                               PNG file FILE and exit

Configuration file:
  %1
</source>
        <translation>Aufruf: corvane [--help | --version]

Zeigt die aktuelle Download- und Upload-Rate im Systembereich der Leiste. Ein
weiterer Start, während es läuft, öffnet das Panel der laufenden Instanz.

Optionen:
  -h, --help     diese Hilfe zeigen und beenden
  -v, --version  die Version zeigen und beenden
  Anzeigeoptionen von Qt wie -platform NAME werden durchgereicht.

Umgebung:
  CORVANE_DEMO=1               erfundene Demodaten statt echter Raten zeigen
  CORVANE_DEMO_PRIVACY=1       mit Demodaten im Privatmodus starten
  CORVANE_RENDER_PANEL=DATEI   mit CORVANE_DEMO=1 das Panel in die PNG-Datei
                               DATEI zeichnen und beenden
  CORVANE_RENDER_LABEL=DATEI   mit CORVANE_DEMO=1 die Anzeige in der Leiste in
                               die PNG-Datei DATEI zeichnen und beenden

Konfigurationsdatei:
  %1
</translation>
    </message>
</context>
<context>
    <name>LinkKind</name>
    <message>
        <source>Wi-Fi</source>
        <translation>WLAN</translation>
    </message>
    <message>
        <source>Ethernet</source>
        <translation>Ethernet</translation>
    </message>
    <message>
        <source>VPN</source>
        <translation>VPN</translation>
    </message>
    <message>
        <source>Cellular</source>
        <translation>Mobilfunk</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verbindung</translation>
    </message>
</context>
<context>
    <name>PanelText</name>
    <message>
        <source>now</source>
        <translation>jetzt</translation>
    </message>
    <message>
        <source>-%1s</source>
        <translation>-%1 s</translation>
    </message>
    <message>
        <source>%1 link</source>
        <translation>%1 Verbindung</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>verbunden</translation>
    </message>
    <message>
        <source>Negotiated link speed %1 Mb/s</source>
        <translation>Ausgehandelte Verbindungsgeschwindigkeit %1 Mb/s</translation>
    </message>
    <message>
        <source>Auto (%1)</source>
        <translation>Automatisch (%1)</translation>
    </message>
    <message>
        <source>Zero bytes</source>
        <translation>Null Byte</translation>
    </message>
    <message>
        <source>%1 byte</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>since %1</source>
        <translation>seit %1</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>larger than 1 MiB</source>
        <translation>größer als 1 MiB</translation>
    </message>
    <message>
        <source>cannot create its directory</source>
        <translation>ihr Verzeichnis kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>Cannot save settings to %1: %2</source>
        <translation>Einstellungen können nicht in %1 gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>Bar style</source>
        <translation>Anzeigestil</translation>
    </message>
    <message>
        <source>Stacked</source>
        <translation>Gestapelt</translation>
    </message>
    <message>
        <source>Wide</source>
        <translation>Breit</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Open panel</source>
        <translation>Panel öffnen</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>WiFiMonitor</name>
    <message>
        <source>Signal %1 dBm</source>
        <translation>Signal %1 dBm</translation>
    </message>
    <message>
        <source>, noise %1 dBm</source>
        <translation>, Rauschen %1 dBm</translation>
    </message>
    <message>
        <source>, link rate %1 Mb/s</source>
        <translation>, Übertragungsrate %1 Mb/s</translation>
    </message>
</context>
<context>
    <name>XdgAutostart</name>
    <message>
        <source>Cannot create %1: %2</source>
        <translation>%1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The program&apos;s own path is unknown</source>
        <translation>Der Pfad des Programms ist unbekannt</translation>
    </message>
    <message>
        <source>The program&apos;s path is not absolute: %1</source>
        <translation>Der Pfad des Programms ist nicht absolut: %1</translation>
    </message>
    <message>
        <source>The program&apos;s path contains control characters</source>
        <translation>Der Pfad des Programms enthält Steuerzeichen</translation>
    </message>
    <message>
        <source>Cannot remove %1: %2</source>
        <translation>%1 kann nicht entfernt werden: %2</translation>
    </message>
</context>
<context>
    <name>corvane::CopyableValue</name>
    <message>
        <source>Click to copy</source>
        <translation>Zum Kopieren klicken</translation>
    </message>
    <message>
        <source>Masked by privacy mode</source>
        <translation>Vom Privatmodus verdeckt</translation>
    </message>
</context>
<context>
    <name>corvane::PanelFooter</name>
    <message>
        <source>Bar style</source>
        <translation>Anzeigestil</translation>
    </message>
    <message>
        <source>Stacked</source>
        <translation>Gestapelt</translation>
    </message>
    <message>
        <source>Wide</source>
        <translation>Breit</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Privacy mode (mask name and IPs)</source>
        <translation>Privatmodus (Name, IPs verbergen)</translation>
    </message>
    <message>
        <source>Look up public IP when panel opens</source>
        <translation>Externe IP beim Öffnen abfragen</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>corvane::PanelHeader</name>
    <message>
        <source>peak</source>
        <translation>Spitze</translation>
    </message>
    <message>
        <source>avg</source>
        <translation>Mittel</translation>
    </message>
</context>
<context>
    <name>corvane::PanelRows</name>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Dishy</source>
        <translation>Dishy</translation>
    </message>
    <message>
        <source>Open the dish status page at %1</source>
        <translation>Die Statusseite der Antenne unter %1 öffnen</translation>
    </message>
    <message>
        <source>Dashboard</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <source>Starlink</source>
        <translation>Starlink</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Adapter</translation>
    </message>
    <message>
        <source>down, using auto</source>
        <translation>getrennt, automatisch gewählt</translation>
    </message>
    <message>
        <source>Which interface the tray label counts; Auto follows the system&apos;s primary interface</source>
        <translation>Welche Schnittstelle die Anzeige in der Leiste zählt; Automatisch folgt der primären Schnittstelle des Systems</translation>
    </message>
    <message>
        <source>Local IP</source>
        <translation>Lokale IP</translation>
    </message>
    <message>
        <source>Router</source>
        <translation>Router</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>Public IP lookup is disabled in the footer</source>
        <translation>Die Abfrage der externen IP ist unten ausgeschaltet</translation>
    </message>
    <message>
        <source>Public IP</source>
        <translation>Externe IP</translation>
    </message>
    <message>
        <source>Reset session totals and the sparkline</source>
        <translation>Sitzungssummen und Verlauf zurücksetzen</translation>
    </message>
    <message>
        <source>Session</source>
        <translation>Sitzung</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Rows are shown for a few seconds</source>
        <translation>Die Zeilen werden für einige Sekunden gezeigt</translation>
    </message>
    <message>
        <source>Show the masked rows for 8 seconds</source>
        <translation>Die verdeckten Zeilen 8 Sekunden lang zeigen</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>%1 öffnen</translation>
    </message>
</context>
<context>
    <name>corvane::SparklineView</name>
    <message>
        <source>Throughput over the last two minutes</source>
        <translation>Durchsatz der letzten zwei Minuten</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Corvane is already running; its panel was opened.
</source>
        <translation>Corvane läuft bereits; sein Panel wurde geöffnet.
</translation>
    </message>
</context>
</TS>

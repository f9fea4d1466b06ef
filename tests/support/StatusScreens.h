#pragma once
// Status screens and answers as the receivers send them (after the poll cycle has removed the
// echo, the prompt and the trailing line break), for the decoder and formatter tests.
#include <QString>
#include <QStringList>

// Joins lines with CR LF, without a line break after the last one.
QString CrLfLines(const QStringList& lines);
// One row of a satellite table: the tracked column at 0, the not-tracked column at 21.
QString SatelliteRow(const QString& tracked, const QString& notTracked = {});
// Header, then PRN 2, 9*, 5, 17*, 12, 25, 131 (* not tracked) and a blank row that ends the table.
QStringList SatelliteTableLines();

QString HpStatusScreen(bool timeValid = true);
QString JacksonStatusScreen(bool saasm = false);
QString UccmStatusScreen();
QString DatumStatusScreen();
// A "SAT: " record: number at +8, elevation at +13, azimuth at +18, signal at +24, tenths at +27.
QString DatumSatRecord(const QString& prn, const QString& elevation, const QString& azimuth,
                       const QString& snr, const QString& tenths);
QString DatumSatAnswer();
QString DatumPositionAnswer();
// The Proteus decoder's page for three tracked satellites and one not tracked, at 33.5 S 151.25 E.
QString ProteusPage();

#!/usr/bin/env bash
# Remakes the workbooks of the spreadsheet tests with the programs that write them in real life:
# LibreOffice Calc (from orders.fods) and openpyxl (orders_openpyxl.py, dates as ISO texts).
# Needs libreoffice-calc-nogui and python3-openpyxl; the tests only read the results.
set -euo pipefail
cd "$(dirname "$0")"
soffice --headless --convert-to xlsx orders.fods
mv orders.xlsx orders-libreoffice.xlsx
/usr/bin/python3 orders_openpyxl.py

import datetime as dt
from openpyxl import Workbook
wb = Workbook(iso_dates=True)
ws = wb.active
ws.title = "Orders"
ws.append(["Code", "Due", "Loaded", "Start", "Paid", "Qty", "Price", "Note", "Total"])
ws.append(["A1", dt.date(2024, 3, 31), dt.datetime(2024, 3, 31, 7, 45, 30), dt.time(7, 45), True, 3, 12.5, "O'Brien & Sons", 37.5])
ws.append(["0042", dt.date(2024, 12, 1), dt.datetime(2024, 12, 1, 23, 59), dt.time(18, 30), False, 10, 0.25, None, 2.5])
ws.append(["B7", None, None, dt.time(0, 5), True, -1, 2.25, "Müller – 東京", -2.25])
for row in ws.iter_rows(min_row=2):
    row[1].number_format = "dd/mm/yyyy"
    row[2].number_format = "dd/mm/yyyy hh:mm:ss"
    row[3].number_format = "hh:mm"
    row[6].number_format = "0.00"
wb.save("orders-openpyxl.xlsx")

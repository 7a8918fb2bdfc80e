-- A warehouse system's pull of new records, one station at a time: it keeps, for each station,
-- the highest seq it has taken, and asks for the records after it. A station's records reach the
-- table in the order of their numbers (one delivery at a time, each a single transaction), so a
-- record that commits later always has a higher number than any the pull has seen: nothing is
-- skipped, nothing taken twice. The table's primary key (station, seq) is the index this needs;
-- none other. A read-only account is enough:
--   GRANT SELECT ON scan_records TO warehouse;
--   psql -d depot -v station=dock1 -v last_seq=41 -f /usr/share/brisolant/warehouse-pull.sql
-- The stations there are, with the highest number of each, start a warehouse's marks:
--   SELECT station, max(seq) FROM scan_records GROUP BY station;
SELECT station, seq, arrived_at, device, length, width, height, gross_weight, dim_weight,
       dim_factor, length_unit, weight_unit, barcode, operator_text, line
FROM scan_records
WHERE station = :'station' AND seq > :last_seq
ORDER BY seq
LIMIT 10000;

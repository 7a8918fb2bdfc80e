-- The table of records for a large depot (hundreds of millions of rows), split by station into 8
-- partitions, each with its own index and vacuumed on its own. Make it before the stations first
-- deliver, in place of schema.sql (the program uses a table that is there as it is):
--   psql -d depot -f /usr/share/brisolant/schema-partitioned.sql
--   GRANT INSERT, SELECT ON scan_records TO brisolant;
-- The partition key is the station, as the primary key (station, seq), which the program's
-- insert relies on, must hold it; partitions by time could not. Records leave by retention.sql.
CREATE TABLE scan_records (
    station text NOT NULL,
    seq bigint NOT NULL,
    arrived_at timestamptz NOT NULL,
    device text,
    length numeric,
    width numeric,
    height numeric,
    gross_weight numeric,
    dim_weight numeric,
    dim_factor numeric,
    length_unit text,
    weight_unit text,
    barcode text,
    operator_text text,
    line text NOT NULL,
    recorded_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (station, seq)
) PARTITION BY HASH (station);
CREATE TABLE scan_records_0 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 0);
CREATE TABLE scan_records_1 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 1);
CREATE TABLE scan_records_2 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 2);
CREATE TABLE scan_records_3 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 3);
CREATE TABLE scan_records_4 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 4);
CREATE TABLE scan_records_5 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 5);
CREATE TABLE scan_records_6 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 6);
CREATE TABLE scan_records_7 PARTITION OF scan_records FOR VALUES WITH (MODULUS 8, REMAINDER 7);
CREATE INDEX scan_records_arrived_at ON scan_records (arrived_at);

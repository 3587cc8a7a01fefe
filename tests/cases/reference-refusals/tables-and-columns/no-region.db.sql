DROP TABLE RegionComunaZHS;
